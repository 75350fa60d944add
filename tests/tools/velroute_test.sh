#!/usr/bin/env bash
# velroute end to end: summary output, lookups, statistics, arguments, and every way a run can fail. A
# failure must give its status, one short line on standard error and, when the input fails, nothing on
# standard output: never exit 0 with wrong or missing data.
set -u
velroute=$(realpath "$1")
fail=0
check() {  # name expected actual
   if [ "$2" != "$3" ]; then
      printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
      fail=1
   fi
}
fails() {  # name status text command: the command (shell text) fails so, its one error line holding text
   (exec >"$dir/out" 2>"$dir/err"; eval "$4"); local rc=$?
   local lines bytes
   lines=$(wc -l <"$dir/err"); bytes=$(wc -c <"$dir/err")
   if [ "$rc" != "$2" ] || [ "$lines" != 1 ] || [ "$bytes" -gt 300 ] || [ -s "$dir/out" ] ||
      ! grep -qF -- "$3" "$dir/err"; then
      printf 'FAIL %s: status %s (expected %s), %s bytes out, %s lines err:\n' "$1" "$rc" "$2" \
         "$(wc -c <"$dir/out")" "$lines"
      head -c 600 "$dir/err"; echo
      fail=1
   fi
}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/routes.txt" <<'IN'
# a comment, then a blank line

10.1.0.0/16 2.2.2.2
10.0.0.0/8 1.1.1.1   # trailing comment
20.0.0.0/8	9.9.9.9
20.0.0.0/8 3.3.3.3
0.0.0.0/0 7.7.7.7
2001:db8::/32 2001:db8::1
2001:db8:1::/48 2001:db8::2
IN
summary="10.0.0.0/8 1.1.1.1
20.0.0.0/8 3.3.3.3
2001:db8::/32 2001:db8::1"
check summary "$summary" "$("$velroute" "$dir/routes.txt")"
check stdin "$summary" "$("$velroute" - < "$dir/routes.txt")"
check no-final-newline "10.0.0.0/8 1.1.1.1" "$(printf '10.0.0.0/8 1.1.1.1' | "$velroute")"
gzip -c "$dir/routes.txt" > "$dir/routes.txt.gz"
# zlib reads it: no gzip program needed, and a name starting with "-" is a file after "--".
check gzip "$summary" "$(PATH=/nonexistent "$velroute" "$dir/routes.txt.gz")"
check gzip-stdin "$summary" "$("$velroute" < "$dir/routes.txt.gz")"
cp "$dir/routes.txt.gz" "$dir/-r.gz"
check dash-name "$summary" "$(cd "$dir" && "$velroute" -- -r.gz)"
fails dash-name-option 1 "velroute: unknown option '-r.gz' (velroute --help tells more)" 'cd "$dir" && "$velroute" -r.gz'

# Lookups answer the first covering route in route order, the least specific: here the default route.
# Options come in any order.
check lookup "10.1.2.0/24 7.7.7.7
2001:db8:1::5 2001:db8::1
2001:db9::/32 -" "$("$velroute" --lookup 10.1.2.0/24 "$dir/routes.txt" --lookup=2001:db8:1::5 --lookup 2001:db9::/32)"
stats=$("$velroute" --stats "$dir/routes.txt")
check stats "lines 9|routes read 7|table routes 7|default routes 1|summary routes 3" \
   "$(printf '%s\n' "$stats" | grep -E '^(lines|routes read|table routes|default routes|summary routes) ' | paste -sd'|')"
help=$("$velroute" --help 2>&1); rc=$?
for phrase in 'PREFIX NEXTHOP' '".gz"' 'standard input when FILE is "-"' 'least specific such route' \
   'not the longest-prefix match' 'Exit status: 0'; do
   case $help in *"$phrase"*) ;; *) check "help: $phrase" present "missing (status $rc)" ;; esac
done

# Bad lines name the input and the line.
bad() {  # name line message
   printf '10.0.0.0/8 1.1.1.1\n%s\n' "$2" > "$dir/bad.txt"
   fails "$1" 2 "velroute: $dir/bad.txt: line 2: $3" '"$velroute" "$dir/bad.txt"'
}
bad length '10.0.0.0/33 2.2.2.2' "invalid IP prefix '10.0.0.0/33': prefix length 33 out of range 0..32 for IPv4"
bad missing-hop '  10.0.0.0/8  ' "expected 'PREFIX NEXTHOP'"
bad extra-field '10.0.0.0/8 1.1.1.1 extra' 'text after the next hop'
bad long-token "$(head -c 4000 /dev/zero | tr '\0' 1)/8 1.1.1.1" "invalid IP prefix '1111"
fails line-too-long 2 'velroute: standard input: line 1: line too long (over 4096 bytes)' \
   'head -c 10000000 /dev/zero | tr "\0" 1 | "$velroute"'

# Inputs that cannot be read completely.
size=$(wc -c < "$dir/routes.txt.gz")
head -c $((size - 4)) "$dir/routes.txt.gz" > "$dir/trailer-cut.gz"
head -c $((size - 12)) "$dir/routes.txt.gz" > "$dir/data-cut.gz"
fails truncated-trailer 2 "$dir/trailer-cut.gz: truncated gzip data" '"$velroute" "$dir/trailer-cut.gz"'
fails truncated-data 2 "$dir/data-cut.gz: truncated gzip data" '"$velroute" "$dir/data-cut.gz"'
{ head -c 30 "$dir/routes.txt.gz"; printf 'X'; tail -c +32 "$dir/routes.txt.gz"; } > "$dir/corrupt.gz"
fails corrupt 2 "$dir/corrupt.gz: corrupt gzip data" '"$velroute" "$dir/corrupt.gz"'
cp "$dir/routes.txt" "$dir/plain.gz"
fails not-gzip 2 "velroute: $dir/plain.gz: not gzip data" '"$velroute" "$dir/plain.gz"'
fails missing-file 2 "velroute: $dir/none.txt: No such file or directory" '"$velroute" "$dir/none.txt"'
fails directory 2 "velroute: $dir: is a directory" '"$velroute" "$dir"'
fails closed-stdin 2 'velroute: standard input: read error: Bad file descriptor' '"$velroute" <&-'

# Output that cannot be written.
fails full-disk 3 'velroute: standard output: No space left on device' '"$velroute" "$dir/routes.txt" >/dev/full'
fails full-disk-help 3 'velroute: standard output: No space left on device' '"$velroute" --help >/dev/full'
fails closed-stdout 3 'velroute: standard output: Bad file descriptor' '"$velroute" --stats "$dir/routes.txt" >&-'

# Bad command lines, refused before any input is read (the input named here does not exist).
long=$(head -c 100000 /dev/zero | tr '\0' x)
fails bad-lookup 1 "velroute: --lookup 'not-an-address': not a prefix or address" \
   '"$velroute" --lookup not-an-address "$dir/none.txt"'
fails bad-lookup-prefix 1 "--lookup '10.0.0.0/40': not a prefix: prefix length 40" \
   '"$velroute" "$dir/none.txt" --lookup 10.0.0.0/40'
fails long-lookup 1 "--lookup 'xxxx" '"$velroute" --lookup "$long" "$dir/none.txt"'
fails long-option 1 "unknown option '--xx" '"$velroute" "--$long"'
fails lookup-value 1 '--lookup needs a prefix or address' '"$velroute" "$dir/none.txt" --lookup'
fails two-files 1 "'10.0.0.1' is another" '"$velroute" "$dir/none.txt" 10.0.0.1'
fails lookup-stats 1 '--lookup and --stats do not go together' '"$velroute" --stats --lookup 10.0.0.1 "$dir/none.txt"'

[ $fail -eq 0 ] && echo "velroute: all checks passed"
exit $fail
