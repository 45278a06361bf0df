#!/usr/bin/perl
use KQCGI;
require "setup.pl";
$query = new KQCGI;
sub face {
    my $filename =$query->uploadInfo($addme);
    while ($buffer=$query->readUploadFile($addme)) {
        print FACE $buffer;
    }
}
