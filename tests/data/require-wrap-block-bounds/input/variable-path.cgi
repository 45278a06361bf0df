#!/usr/bin/perl
use KQCGI;
require "$dir/setup.pl";
require "lib.pl";
$x = 1;
