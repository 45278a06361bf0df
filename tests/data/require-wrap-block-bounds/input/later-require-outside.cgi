#!perl
use KQCGI;
require "a.pl";
$x = 1;
require "b.pl";
