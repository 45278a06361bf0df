#!/usr/bin/perl
use CGI;
require "setup.pl";
$query = new CGI;
my $up_filename =$query->uploadInfo($addme);
my ($up_name,$up_ext) = split(/\./,$up_filename);
while ($buffer=$query->readUploadFile($addme)) {
    print FILE $buffer;
}
