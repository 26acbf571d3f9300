#!/usr/bin/env bash
# Fails when a variant body or internal kernel of the kernel library uses an
# instruction above its processor level. Code belongs to level k when its
# symbol is nk_<function> (a variant body) or lives in namespace dsp_nk.
# Everything else (entry points, start-up, shared code) must stay at the
# x86-64 baseline, which is level n1.
set -euo pipefail
library="$1"

objdump -d --no-show-raw-insn -C "$library" | awk '
function level_of(name) {
    if (match(name, /^n[0-4]_/)) return substr(name, 2, 1) + 0
    if (match(name, /dsp_n[0-4]::/)) return substr(name, RSTART + 5, 1) + 0
    return 1
}
function required_level(m) {
    if (m ~ /^v/ && m !~ /^verr|^verw/) return 9                                  # AVX and later
    if (m ~ /^(pcmpestr|pcmpistr|pcmpgtq|crc32|popcnt)/) return 9                  # SSE4.2
    if (m ~ /^(ptest|pmulld|pmuldq|round[ps][sd]|blendv?p[sd]|pblendvb|pblendw|dpp[sd]|insertps|extractps|pextr[bdq]|pinsr[bdq]|pmins[bd]|pmaxs[bd]|pminu[wd]|pmaxu[wd]|pmov[sz]x|packusdw|pcmpeqq|movntdqa|mpsadbw|phminposuw)/) return 4
    if (m ~ /^(pshufb|phadd|phsub|pmaddubsw|pmulhrsw|psign[bwd]|pabs[bwd]|palignr)/) return 3
    if (m ~ /^(addsubp|haddp|hsubp|lddqu|movddup|movshdup|movsldup|fisttp|monitor|mwait)/) return 2
    return 0
}
/^[0-9a-f]+ <.*>:$/ {
    name = $0
    sub(/^[0-9a-f]+ </, "", name)
    sub(/>:$/, "", name)
    level = level_of(name)
    next
}
/^ +[0-9a-f]+:\t/ {
    n = split($0, parts, "\t")
    if (n < 2) next
    split(parts[2], words, " ")
    mnemonic = words[1]
    if (mnemonic ~ /^(rep|repz|repnz|lock|data16|notrack|bnd)$/) mnemonic = words[2]
    need = required_level(mnemonic)
    if (need > level) {
        printf "%s: %s needs level %d\n", name, mnemonic, need
        bad++
    }
}
END {
    if (bad > 0) { printf "%d instruction(s) above their variant level\n", bad; exit 1 }
    print "all variant bodies within their instruction levels"
}'
