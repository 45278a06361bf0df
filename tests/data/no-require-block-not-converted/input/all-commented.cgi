use KQCGI;
# require "setup.pl";
  #require "common.pl";
$query = new KQCGI;
