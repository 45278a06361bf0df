use KQCGI;
require "a.pl"
$x = 1
