#!/usr/bin/perl
ÅBEGIN {
    $KQPATH = '.';
    my $pgm = $0;
    $pgm =~s/\\/\//g;
    $pgm =~s/^.*\/([^\/]+)$/$1/g;
    unless (-e $KQPATH.'/'.$pgm) {
        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {
            s!\\!/!g; s/^(.*)\/[^\/]+$/$1/g;
            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; }
        }
    }
    unshift (@INC, "$KQPATH");
}
Åuse KQCGI;
Årequire "a.pl";
require "b.pl"Å;
Å$q = new ÅÅÅKQCGI;
# Åkqcgi ÅÅkqcgi kqcgÅi
