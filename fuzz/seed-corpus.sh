#!/usr/bin/env bash
# Writes a few seed inputs for each fuzz target into fuzz/corpus/<target>/ (ignored by git).
# The first byte of an in-memory target's input is its mode byte (see each target's comment).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)/corpus
seed() {  # seed TARGET NAME BYTES (printf format)
  mkdir -p "$root/$1"
  printf "$3" > "$root/$1/$2"
}
seed fuzz_readers crlf   '2 1 5\r\n1 3 7\r\n'
seed fuzz_readers tabs   '1\t2 3\n\n4 5 6\r7 8 9'
seed fuzz_readers single '42'
seed fuzz_readers wide   '1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17\n0.5 -2.5E+03 1e-40 3.4028235e38 .5 5. -0 +7 0 0 0 0 0 0 0 0 0\n'
seed fuzz_numbers point   '\000 -1.25e-3 '
seed fuzz_numbers comma   '\001+2,5E7'
seed fuzz_numbers arabic  '\002\t3\331\253141592653589793e0\t'
seed fuzz_numbers tiny    '\0001.401298E-45'
seed fuzz_numbers huge    '\0003.40282357e38'
seed fuzz_numbers float   '\004\253\252\252\076'
seed fuzz_numbers fcomma  '\005\000\000\200\177'
seed fuzz_get_row plain   '\000  1.5   -2  3e4 \t x'
seed fuzz_get_row limit   '\377 1 2'
seed fuzz_get_row over    '\376x\ty'
seed fuzz_line_reader mixed '\003a\r\nb\rc\nd\n\re\r\r\nf'
seed fuzz_line_reader long  '\020xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\nyyyyyyyyyyyyyyyyyyyyyyy\r'
seed fuzz_line_reader one   '\000\r\n\r\n\n\r'
seed fuzz_grid ops    '\006\003\000\000\000\000\002\100\000\100\000\001x\010\004\005\000\007\002\011\000\000\200\000\000\000\000\000\000\000\000\000\010'
seed fuzz_grid long   '\000\100\000\100\000\377\377\377\007\000\100\000\100\000\377\377\377\010\003\010'
