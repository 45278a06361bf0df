use KQCGI;
print "#"; require "setup.pl";
$query = new KQCGI;
