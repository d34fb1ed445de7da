# SPDX-License-Identifier: MIT
# One command's help as roff for help2man's include file:
#   awk -v command=NAME -f help2roff.awk MAIN_HELP COMMAND_HELP
# Paragraphs that the command's help shares with the main help (the port and exit-status notes)
# are on the page once already and are left out. Items ("  --opt ARG   what it does") become
# tagged paragraphs; lines indented deeper than an item's text keep their own line, as they do
# in the terminal.

function esc(s) {
    gsub(/\\/, "\\e", s)
    gsub(/-/, "\\-", s)
    if (s ~ /^[.']/)
        s = "\\&" s
    return s
}

# Option words in bold, as help2man writes them in OPTIONS.
function options_bold(s,    out) {
    out = ""
    while (match(s, /\\-\\-[A-Za-z0-9]+(\\-[A-Za-z0-9]+)*/)) {
        out = out substr(s, 1, RSTART - 1) "\\fB" substr(s, RSTART, RLENGTH) "\\fR"
        s = substr(s, RSTART + RLENGTH)
    }
    return out s
}

function indent_of(line) {
    return match(line, /[^ ]/) - 1
}

function end_paragraph() {
    if (para != "") {
        if (in_main)
            shared[para] = 1
        else
            paras[++count] = para
    }
    para = ""
}

FNR == 1 { end_paragraph(); in_main = (NR == 1) }
/^[ \t]*$/ { end_paragraph(); next }
{ para = para $0 "\n" }
END {
    end_paragraph()
    print ".SS \"" esc(command) "\""
    for (p = 1; p <= count; ++p) {
        if (paras[p] in shared)
            continue
        render(paras[p])
    }
}

function render(text,    lines, n, i, line, ind, rest, term, desc, desc_col, last_ind, state) {
    n = split(text, lines, "\n")
    state = ""
    desc_col = -1
    for (i = 1; i <= n; ++i) {
        line = lines[i]
        if (line == "")
            continue
        ind = indent_of(line)
        if (line ~ /^[Uu]sage: /) {
            sub(/^[Uu]sage: +/, "", line)
            print ".PP"
            print "\\fB" esc(line) "\\fR"
            print ".br"
            state = "text"
        } else if (ind == 0) {
            if (state != "text")
                print ".PP"
            print options_bold(esc(line))
            state = "text"
        } else if (state == "item" && desc_col >= 0 && ind >= desc_col) {
            if (ind > desc_col || last_ind > desc_col)
                print ".br"
            sub(/^ +/, "", line)
            print options_bold(esc(line))
            last_ind = ind
        } else {
            rest = substr(line, ind + 1)
            print ".TP"
            if (match(rest, /  +/)) {
                term = substr(rest, 1, RSTART - 1)
                desc = substr(rest, RSTART + RLENGTH)
                desc_col = ind + RSTART + RLENGTH - 1
                print options_bold(esc(term))
                print options_bold(esc(desc))
            } else {
                print options_bold(esc(rest))
                desc_col = ind + 1
            }
            last_ind = desc_col
            state = "item"
        }
    }
}
