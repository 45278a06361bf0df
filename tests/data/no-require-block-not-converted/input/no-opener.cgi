use KQCGI;
do "a.pl";
$x = 1;
