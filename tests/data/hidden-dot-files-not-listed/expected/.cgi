use KQCGI;
require "setup.pl";
$x = 1;
