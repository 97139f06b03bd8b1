#!/usr/bin/env bash
# The manual page and --help name the same options, both ways: an option
# added to one and not the other fails here. The page must also read
# without a roff warning, as lintian reads it.
#   manual_test.sh ORBELUNE-RENDER MANUAL-PAGE
set -u
render=$1 manual=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

# Options as --help lists them: the lines that begin with one, indented
# less than a description's continuation (which may begin with "--digest").
"$render" --help | grep -E '^ {2,6}-' | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u \
  > "$work/help"
# Options as the page's OPTIONS section gives them, each in its .TP tag.
awk '/^\.SH /{inside = ($2 == "OPTIONS")} inside && tag {print} {tag = inside && /^\.TP/}' "$manual" |
  sed 's/\\-/-/g' | grep -oE '(^|[ "])--?[a-z][a-z-]*' | tr -d ' "' | sort -u > "$work/manual"
check "--help lists options ($(paste -sd ' ' "$work/help"))" test "$(wc -l < "$work/help")" -gt 10
check "every option of --help is in the manual page ($(comm -23 "$work/help" "$work/manual" | paste -sd ' '))" \
  test -z "$(comm -23 "$work/help" "$work/manual")"
check "every option of the manual page is in --help ($(comm -13 "$work/help" "$work/manual" | paste -sd ' '))" \
  test -z "$(comm -13 "$work/help" "$work/manual")"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" 2>&1 > /dev/null)
check "the page reads without a warning${warnings:+: $warnings}" test -z "$warnings"
summary
