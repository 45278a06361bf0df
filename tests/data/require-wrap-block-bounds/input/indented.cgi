#!/usr/bin/perl
use KQCGI;
if (1) {
  require "setup.pl";
}
$x = 1;
