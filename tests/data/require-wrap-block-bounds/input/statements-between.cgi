use KQCGI;
require "a.pl";
my @list = (1, 2);
print "loaded";
require "b.pl";

$x = 1;
