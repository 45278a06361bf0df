use KQCGI;
require "a.pl";
# require "b.pl";
require "c.pl";
$query = new KQCGI;
