#!/usr/bin/perl
use CGI qw(:standard);
eval {
($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");
($0 =~ m,(.*)\\[^\\]+,) and unshift (@INC, "$1");
($0 =~ m,[/\\],)        or unshift (@INC, ".");
require "setup.pl"};
if (my $err = $@) {
    print header(-charset=>gb2312); print start_html(-title=>"KQ7100 出错！");
    print "不能够找到文件：$err\n请更改每个程序中的 require 语句，填入绝对路径！";
    print end_html; exit;
}
$query = new CGI;
sub upload {
    
    $addme=~ s/\n//g;
my $up_filename =$addme;
@up_name = split(/\./,$up_filename);
$up_ext = $up_name[-1];
    while ($buffer=$query->readFile($addme)) {
        print FILE $buffer;
    }
}
