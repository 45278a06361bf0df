#!/usr/bin/perl
# 丂乕乗乚乢亇乤乑
丂use CGI qw(:standard);
乕eval {
($0 =~ m,(.*)/[^/]+,)   and unshift (@INC, "$1");
($0 =~ m,(.*)\\[^\\]+,) and unshift (@INC, "$1");
($0 =~ m,[/\\],)        or unshift (@INC, ".");乕require "a乗.pl";
乚require "b.pl"乢};
if (my $err = $@) {
    print header(-charset=>gb2312); print start_html(-title=>"KQ7100 出错！");
    print "不能够找到文件：$err\n请更改每个程序中的 require 语句，填入绝对路径！";
    print end_html; exit;
}
亇$query = new 乤CGI乑;
# 乗CGI 丂CGI 乚CGI 乢CGI 亇CGI
