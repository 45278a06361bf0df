#!/usr/bin/perl
use KQCGI;
#require "old.pl";
require "setup.pl";
require "common.pl";

$query = new KQCGI;
