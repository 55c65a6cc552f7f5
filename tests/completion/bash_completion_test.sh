#!/usr/bin/env bash
# Checks the bash completion's answers: options, option values, and log files in a folder.
set -u
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir sim
touch inv.out run.dat notes.txt
shopt -s extglob
# shellcheck source=/dev/null
source "$script" || exit 1
compopt() { :; }  # only works inside a real completion; the answers are what is checked

failures=0
# complete WORDS... : runs the completion with the cursor on the last word.
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  _opjoin
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@")
  if [[ $got != "$want" ]]; then
    echo "FAIL: completing '$*': got '$got', want '$want'"
    failures=$((failures + 1))
  fi
}

expect "--dialog= " opjoin --di
expect "--help " opjoin --h
expect "auto gui terminal " opjoin --dialog = ""
expect "terminal " opjoin --dialog = t
expect "hspice " opjoin --layout = h
expect "auto gui terminal " opjoin --dialog ""
expect "inv.out run.dat sim " opjoin ""
expect "notes.txt " opjoin no

if [[ $failures -gt 0 ]]; then
  exit 1
fi
echo "bash completion: all answers as expected"
