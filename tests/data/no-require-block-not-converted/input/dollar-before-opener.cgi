# KQCGI
$require "a.pl";
$x;
