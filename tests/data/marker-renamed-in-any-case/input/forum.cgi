#!/usr/bin/perl
use KQCGI;
require "kqcgi-lib.pl";
$KQCGI::POST_MAX = 1024;
my $query = new KqCgI;
$name = "xkqcgiy";
