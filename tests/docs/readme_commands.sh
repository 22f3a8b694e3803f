# Shared by the README tests: the commands of the README's shell blocks.

# readme_commands README [SECTION]: one command a line, comments and blank lines left out. With
# SECTION, only that "## " section before its first "### ", or "SECTION/SUBSECTION" for that
# "### " part of it; without, every section.
readme_commands() {
    awk -v only="${2:-}" '
        /^## / { section = substr($0, 4); part = section; next }
        /^### / { part = section "/" substr($0, 5); next }
        /^```sh$/ { inblock = 1; next }
        /^```/ { inblock = 0; next }
        !inblock { next }
        only != "" && part != only { next }
        {
            sub(/[ \t]+#[ \t].*$/, "")
            sub(/[ \t]+$/, "")
            if ($0 != "") print
        }
    ' "$1"
}
