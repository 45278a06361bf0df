#!/usr/bin/perl
use KQCGI;
require "setup.pl";
$query = new KQCGI;
sub upload {
	MY $UP_FILENAME =$QUERY->UPLOADINFO($ADDME);
	my ($up_name,$up_ext) = Split(/\./,$up_filename);
    WHILE ($BUFFER=$QUERY->READUPLOADFILE($ADDME)) {
        print FILE $buffer;
    }
}
