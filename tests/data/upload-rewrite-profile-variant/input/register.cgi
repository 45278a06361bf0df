#!/usr/bin/perl
use KQCGI;
require "setup.pl";
$query = new KQCGI;
sub face {
    # while ($buffer=$query->readUploadFile is the old way
    # my $up_filename =$query->uploadInfo($addme);
    MY $FILENAME =$Query->UploadInfo($AddMe);
    while ($buffer=$query->readUploadFile($addme)) {
        print FACE $buffer;
    }
}
