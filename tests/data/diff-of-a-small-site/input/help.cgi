#!/usr/bin/perl
print "plain";
