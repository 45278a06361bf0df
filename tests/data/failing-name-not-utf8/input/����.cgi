#!/usr/bin/perl
use KQCGI;
$query = new KQCGI;
print $query->header;
