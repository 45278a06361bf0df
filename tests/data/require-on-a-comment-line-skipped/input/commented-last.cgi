use KQCGI;
require "setup.pl";
require "common.pl";
    # require "later.pl";
$query = new KQCGI;
