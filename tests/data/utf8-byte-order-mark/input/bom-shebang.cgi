#!/usr/bin/perl
use KQCGI;
require "a.pl";
$q = 1;
