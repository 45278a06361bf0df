KQCGI::init();
use KQCGI;
require "a.pl";
$q = 1;
