require "a.pl";
require "b.pl";
$q = new KQCGI;
