#!perl
use KQCGI;
require "$dir/a.pl";