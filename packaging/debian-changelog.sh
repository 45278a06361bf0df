#!/usr/bin/env bash
# Writes the package's changelog, in Debian's format, from CHANGELOG.md to the standard output.
#
#   debian-changelog.sh CHANGELOG.md PACKAGE VERSION "NAME <ADDRESS>" SOURCE_DATE_EPOCH
#
# CHANGELOG.md: an introduction, then one section per version, newest first, headed
# "## VERSION (YYYY-MM-DD)" or, before its release, "## VERSION (unreleased)". A section holds
# paragraphs, "### " headings and "- " items continued on lines indented by two blanks. The newest
# section must be VERSION, the project's version (kept in CMakeLists.txt alone): a changelog that
# has not caught up with the number stops the build.
# An entry's date is its section's day at midnight UTC; an unreleased one's is SOURCE_DATE_EPOCH,
# the time of the sources, so the output depends on nothing but its arguments.
set -euo pipefail
(($# == 5)) || {
    echo "usage: debian-changelog.sh CHANGELOG.md PACKAGE VERSION MAINTAINER SOURCE_DATE_EPOCH" >&2
    exit 2
}
changelog=$1 package=$2 version=$3 maintainer=$4 epoch=$5
export LC_ALL=C

awk -v package="$package" -v version="$version" -v maintainer="$maintainer" -v epoch="$epoch" '
function fail(message) {
    print "debian-changelog.sh: " message > "/dev/stderr"
    failed = 1
    exit 1
}
function rfc2822(when,    command, date) {
    command = "date -u -R -d " when
    command | getline date
    close(command)
    return date
}
function finish() {
    if (open) printf "\n -- %s  %s\n", maintainer, date
}
function line(text) {
    if (blank && written) print ""
    blank = 0
    written = 1
    print text
}
/^## / {
    if ($0 !~ /^## [^ ]+ \((unreleased|[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])\)$/)
        fail("not a version heading: " $0)
    split($0, words, /[ ()]+/)
    if (!open && words[2] != version)
        fail("the newest section is " words[2] ", not the version being built, " version)
    finish()
    if (open) print ""
    released = words[3] != "unreleased"
    date = rfc2822(released ? words[3] : "@" epoch)
    printf "%s (%s) %s; urgency=medium\n\n", package, words[2], released ? "unstable" : "UNRELEASED"
    open = 1
    group = blank = written = 0
    next
}
!open { next }
/^$/ { blank = 1; next }
/^### / { group = 1; line("  * " substr($0, 5) ":"); next }
/^- / { line((group ? "    - " : "  * ") substr($0, 3)); next }
{ line((group ? "    " : "  ") $0) }
END {
    if (!open && !failed) fail("no section \"## " version " (unreleased)\" or with a date")
    if (!failed) finish()
}
' "$changelog"
