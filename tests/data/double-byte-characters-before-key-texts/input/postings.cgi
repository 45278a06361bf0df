#!/usr/bin/perl
use KQCGI;
require "setup.pl";
$query = new KQCGI;
    my $up_filename =$query->uploadInfo($addme);
    while ($buffer=$query->readUploadFile($addme)) { # a
        print UPLOAD $buffer;
    }
    WHILE ($BUFFER=$QUERY->READUPLOADFILE($ADDME)) { # a
    while ($buffer=$query->readUploadFile($addme)) { # A
