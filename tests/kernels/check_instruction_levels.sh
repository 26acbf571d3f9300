#!/usr/bin/env bash
# Fails when the kernel library (or any archive or object given) breaks the
# processor levels:
#  - instructions: a variant body or internal kernel uses an instruction
#    above its level. Code belongs to level k when its symbol is nk_<function>
#    (a variant body) or lives in namespace dsp_nk. Everything else (entry
#    points, start-up, shared code) must stay at the x86-64 baseline, level 1.
#  - tables: slot k of a <name>_table holds no body of level k or lower (the
#    slots are read from the table symbols and their relocations).
# It also fails when it finds nothing to check (no code, no bodies of some
# level, no table), so a wrong path or an empty library cannot pass.
set -euo pipefail
library="$1"

disassembly=$(objdump -d --no-show-raw-insn -C "$library")
symbols_and_relocations=$(objdump -t -r "$library")

gawk '
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
    functions++
    if (match(name, /^n[0-4]_/)) bodies[level]++
    next
}
/^ +[0-9a-f]+:\t/ {
    n = split($0, parts, "\t")
    if (n < 2) next
    split(parts[2], words, " ")
    mnemonic = words[1]
    if (mnemonic ~ /^(rep|repz|repnz|lock|data16|notrack|bnd)$/) mnemonic = words[2]
    instructions++
    need = required_level(mnemonic)
    if (need > level) {
        printf "%s: %s needs level %d\n", name, mnemonic, need
        bad++
    }
}
END {
    if (bad > 0) { printf "%d instruction(s) above their variant level\n", bad; exit 1 }
    if (functions == 0 || instructions == 0) { print "no code disassembled"; exit 1 }
    for (k = 0; k <= 4; k++) {
        if (bodies[k] == 0) { printf "no variant body of level %d disassembled\n", k; exit 1 }
    }
    printf "%d functions, %d instructions: all within their levels\n", functions, instructions
}' <<<"$disassembly"

gawk '
# One archive member at a time: its symbol table, then its relocations.
/file format/ {
    finishMember()
    next
}
/^SYMBOL TABLE:/ { mode = "symbols"; next }
/^RELOCATION RECORDS FOR \[/ {
    mode = "relocations"
    section = $0
    sub(/^RELOCATION RECORDS FOR \[/, "", section)
    sub(/\]:$/, "", section)
    next
}
mode == "symbols" && /^[0-9a-f]+ .*\t[0-9a-f]+ / {
    split($0, halves, "\t")
    nfields = split(halves[1], left, " ")
    split(halves[2], right, " ")
    symbolSection = left[nfields]
    address = strtonum("0x" left[1])
    size = strtonum("0x" right[1])
    symbol = right[2]
    if (symbol ~ /^[A-Za-z0-9_]+_table$/ && size > 0) {  # not __odr_asan.<name> of the sanitizer
        tableCount++
        tableName[tableCount] = symbol
        tableSection[tableCount] = symbolSection
        tableStart[tableCount] = address
        tableSlots[tableCount] = size / 8
    } else if (halves[1] ~ / F /) {
        functionAt[symbolSection, address] = symbol
    }
    next
}
mode == "relocations" && /^[0-9a-f]+ R_X86_64_/ {
    relocationCount++
    relocationSection[relocationCount] = section
    relocationOffset[relocationCount] = strtonum("0x" $1)
    relocationTarget[relocationCount] = $3
    next
}
# The body a relocation points at: a symbol, or a section plus an offset
# naming a function of this member.
function bodyOf(target,    sectionName, offset, plus) {
    plus = index(target, "+0x")
    if (plus == 0) {
        if ((target, 0) in functionAt) return functionAt[target, 0]
        return target
    }
    sectionName = substr(target, 1, plus - 1)
    offset = strtonum(substr(target, plus + 1))
    if ((sectionName, offset) in functionAt) return functionAt[sectionName, offset]
    return target
}
function finishMember(    t, r, slot, body, filled, k) {
    for (t = 1; t <= tableCount; t++) {
        delete filled
        for (r = 1; r <= relocationCount; r++) {
            if (relocationSection[r] != tableSection[t]) continue
            slot = relocationOffset[r] - tableStart[t]
            if (slot < 0 || slot >= 8 * tableSlots[t]) continue
            slot = int(slot / 8)
            body = bodyOf(relocationTarget[r])
            filled[slot] = 1
            if (!match(body, /^n[0-4]_/)) {
                printf "%s slot %d: %s is no variant body\n", tableName[t], slot, body
                bad++
            } else if (substr(body, 2, 1) + 0 > slot) {
                printf "%s slot %d: holds %s, a body of a higher level\n", tableName[t], slot, body
                bad++
            }
        }
        for (k = 0; k < 5; k++) {
            if (!(k in filled)) { printf "%s slot %d: empty\n", tableName[t], k; bad++ }
        }
        tables++
    }
    tableCount = 0
    relocationCount = 0
    delete functionAt
    mode = ""
}
END {
    finishMember()
    if (bad > 0) { printf "%d table slot(s) wrong\n", bad; exit 1 }
    if (tables == 0) { print "no dispatch table found"; exit 1 }
    printf "%d tables: every slot k holds a body of level k or lower\n", tables
}' <<<"$symbols_and_relocations"
