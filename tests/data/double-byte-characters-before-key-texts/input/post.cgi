#!/usr/bin/perl
use KQCGI;
require "setup.pl";
$query = new KQCGI;
sub save {
    @my $up_filename =$query->uploadInfo($addme);}
    _my ($up_name,$up_ext) = split(/\./,$up_filename);
    ]while ($buffer=$query->readUploadFile($addme)) { # \
        print UPLOAD $buffer;
    }
    # while ($buffer=$query->readUploadFile($addme)) { # \
}
