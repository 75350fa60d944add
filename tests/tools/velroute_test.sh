#!/usr/bin/env bash
# velroute end to end: summary output, lookups, statistics and the failure paths operators meet.
set -u
velroute=$1
fail=0
check() {  # name expected actual
   if [ "$2" != "$3" ]; then
      printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
      fail=1
   fi
}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/routes.txt" <<'IN'
# a comment, then a blank line

10.1.0.0/16 2.2.2.2
10.0.0.0/8 1.1.1.1   # trailing comment
20.0.0.0/8 9.9.9.9
20.0.0.0/8 3.3.3.3
0.0.0.0/0 7.7.7.7
2001:db8::/32 2001:db8::1
2001:db8:1::/48 2001:db8::2
IN
check summary "10.0.0.0/8 1.1.1.1
20.0.0.0/8 3.3.3.3
2001:db8::/32 2001:db8::1" "$("$velroute" "$dir/routes.txt")"
check stdin "$("$velroute" "$dir/routes.txt")" "$("$velroute" < "$dir/routes.txt")"
gzip -c "$dir/routes.txt" > "$dir/routes.txt.gz"
check gzip "$("$velroute" "$dir/routes.txt")" "$("$velroute" "$dir/routes.txt.gz")"
check lookup "10.1.2.0/24 7.7.7.7
2001:db8:1::5 2001:db8::1
2001:db9::/32 -" "$("$velroute" "$dir/routes.txt" --lookup 10.1.2.0/24 2001:db8:1::5 2001:db9::/32)"
stats=$("$velroute" "$dir/routes.txt" --stats)
check stats "table routes 7|default routes 1|summary routes 3" \
   "$(printf '%s\n' "$stats" | grep -E '^(table|default|summary) routes' | paste -sd'|')"

printf '10.0.0.0/8 1.1.1.1\n10.0.0.0/33 2.2.2.2\n' > "$dir/bad.txt"
err=$("$velroute" "$dir/bad.txt" 2>&1 >/dev/null); rc=$?
check bad-line-status 2 "$rc"
check bad-line-message "velroute: line 2: invalid IP prefix '10.0.0.0/33': prefix length 33 out of range 0..32 for IPv4" "$err"
printf '10.0.0.0/8\n' | "$velroute" >/dev/null 2>"$dir/err"; rc=$?
check missing-hop "2|velroute: line 1: expected 'PREFIX NEXTHOP'" "$rc|$(cat "$dir/err")"
printf '10.0.0.0/8 1.1.1.1 extra\n' | "$velroute" >/dev/null 2>"$dir/err"; rc=$?
check extra-field "2|velroute: line 1: text after the next hop" "$rc|$(cat "$dir/err")"
"$velroute" "$dir/none.txt" >/dev/null 2>&1; rc=$?
check missing-file 2 "$rc"
"$velroute" --bogus >/dev/null 2>&1; rc=$?
check bad-option 1 "$rc"
"$velroute" "$dir/routes.txt" --lookup not-an-address >/dev/null 2>&1; rc=$?
check bad-lookup 2 "$rc"
[ $fail -eq 0 ] && echo "velroute: all checks passed"
exit $fail
