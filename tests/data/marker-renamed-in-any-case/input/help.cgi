#!/usr/bin/perl
use CGI;
require "setup.pl";
print "help";
