$KQCGI::x = 1;
require "a.pl";
