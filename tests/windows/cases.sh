# What the Windows end-to-end scripts share: wine's names for Linux paths, and counting cases.
# Sourced by run_e2e_test.sh and dialog_e2e_test.sh.
passed=0
failed=0

# The Windows name wine gives a Linux path: drive Z: is the root folder.
windows_path() {
  local path=${1//\//\\}
  printf 'Z:%s' "$path"
}

# check NAME [PROBLEM...]: counts a case as passed when no problem is given.
check() {
  local name=$1
  shift
  if [[ $# -eq 0 ]]; then
    echo "PASS: $name"
    passed=$((passed + 1))
  else
    echo "FAIL: $name"
    printf '  %s\n' "$@"
    failed=$((failed + 1))
  fi
}
