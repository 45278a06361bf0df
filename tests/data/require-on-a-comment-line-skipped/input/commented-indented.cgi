use KQCGI;
  	#  require "old.pl";
	require "setup.pl";
$query = new KQCGI;
