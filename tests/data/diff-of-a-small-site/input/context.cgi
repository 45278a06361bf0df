#!/usr/bin/perl
# part of KQCGI
line3
line4
line5
line6
line7
line8
line9
require "a.pl";
$y = 2;
