# join.awk: the join opjoin does, written the way a user would write it in awk, to compare
# speeds. It prints the sixteen joined rows on standard output.
#
#   LC_ALL=C awk -f join.awk LOG > TABLE
#
# The listing starts after the first line matching "subckt" and ends at a line matching
# "Total"; each block gives one line per row name, in order, and later blocks add what follows
# their 10-character label. Unlike opjoin, a "subckt" on a last line without a line feed still
# opens the listing (awk cannot tell), and failures only set the exit status.
BEGIN {
  count = split("element model vds vgs vbs vth vdsat id gds gm gmbs cgs cgd capbd weff leff",
                names, " ")
  started = 0
  row = 1
  blocks = 0
}

# Whether the line begins with `name` after at most ten non-letters. Such a line holds the
# name at byte 11 or before with no letter in front, so the first place index() finds is it.
# (A regular expression with ten optional non-letters says the same, but mawk runs it about a
# hundred times slower.)
function matches(name,    at) {
  at = index($0, name)
  return at > 0 && at <= 11 && substr($0, 1, at - 1) !~ /[A-Za-z]/
}

!started {
  if (matches("subckt")) started = 1
  next
}

matches("Total") { exit }

matches(names[row]) {
  sub(/\r$/, "")
  if (blocks == 0) rows[row] = $0
  else rows[row] = rows[row] substr($0, 11)
  if (++row > count) {
    row = 1
    blocks++
  }
}

END {
  if (!started || blocks == 0) exit 2
  for (i = 1; i <= count; i++) print rows[i]
}
