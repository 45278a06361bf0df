#!perl
use KQCGI;
require "a;b.pl";
$x = 1;
