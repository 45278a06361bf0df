#!/usr/bin/perl
use KQCGI;
REQUIRE "setup.pl";
$x = 1;
