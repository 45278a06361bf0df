use KQCGI;
require "a.pl";
$q = new KQCGI;
