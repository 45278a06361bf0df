use KQCGI;
require "a.pl";
$q = new KQCGIþ