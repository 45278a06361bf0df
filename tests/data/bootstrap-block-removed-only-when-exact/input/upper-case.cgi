#!/usr/bin/perl
BEGIN {
    $KQPATH = '.';
    MY $PGM = $0;
    $PGM =~S/\\/\//G;
    $PGM =~S/^.*\/([^\/]+)$/$1/G;
    UNLESS (-E $KQPATH.'/'.$PGM) {
        FOREACH ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {
            S!\\!/!G; S/^(.*)\/[^\/]+$/$1/G;
            IF (-E $_ . '/' .$PGM) { $KQPATH = $_; LAST; }
        }
    }
    UNSHIFT (@INC, "$KQPATH");
}
use kqcgi;
require "setup.pl";
$x = 1;
