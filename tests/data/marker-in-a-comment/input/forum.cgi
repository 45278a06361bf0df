#!/usr/bin/perl
# uses kqcgi elsewhere
require "setup.pl";
$x = 1;
