use kqcgi;
USE KQCGI;
use  KQCGI;
use KQCGI qw(:all);
require "setup.pl";
$x = 1;
