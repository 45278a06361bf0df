#!/usr/bin/perl
use CGI qw(:standard);
eval {
($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");
($0 =~ m,(.*)\\[^\\]+,) and unshift (@INC, "$1");
require "setup.pl";
require "common.pl";

$query = new CGI;
print header;
