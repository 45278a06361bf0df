#!/usr/bin/perl
# Å@Å[Å\Å]Å_Å}ÅaÅZ
Å@use KQCGI;
Å[require "aÅ\.pl";
Å]require "b.pl"Å_;
Å}$query = new ÅaKQCGIÅZ;
# Å\kqcgi Å@KQCGI Å]KqCgI Å_kqcgi Å}KQCGI
