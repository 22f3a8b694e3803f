# Shared by the README tests: the commands of the README's shell blocks.

# readme_commands README [SECTION]: one command a line, comments and blank lines left out. With
# SECTION, only that "## " section; without, every section.
readme_commands() {
    awk -v only="${2:-}" '
        /^## / { section = substr($0, 4); next }
        /^```sh$/ { inblock = 1; next }
        /^```/ { inblock = 0; next }
        !inblock { next }
        only != "" && section != only { next }
        {
            sub(/[ \t]+#[ \t].*$/, "")
            sub(/[ \t]+$/, "")
            if ($0 != "") print
        }
    ' "$1"
}
