require "a.pl";
$KQCGI::x = 1;
