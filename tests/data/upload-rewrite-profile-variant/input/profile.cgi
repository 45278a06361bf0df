#!/usr/bin/perl
use KQCGI;
require "setup.pl";
$query = new KQCGI;
sub photo {
    my $filename =$query->uploadInfo($addme);
    if ($retry) {
        my $filename =$query->uploadInfo($addme);
    }
    while ($buffer=$query->readUploadFile($addme)) {
        print PHOTO $buffer;
    }
}
