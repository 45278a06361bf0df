#!/usr/bin/perl
#################################################################
#  清风论坛 —— 登录和退出（login.cgi）
#################################################################
BEGIN {
    $KQPATH = '.';
    my $pgm = $0;
    $pgm =~s/\\/\//g;
    $pgm =~s/^.*\/([^\/]+)$/$1/g;
    unless (-e $KQPATH.'/'.$pgm) {
        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {
            s!\\!/!g; s/^(.*)\/[^\/]+$/$1/g;
            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; }
        }
    }
    unshift (@INC, "$KQPATH");
}
use KQCGI;
require "qf_setup.pl";
require "qf_common.pl";

$query = new KQCGI;
$membername = $query->param('membername');
$password   = $query->param('password');

if ($query->param('action') eq "logout") {
    print $query->header(-cookie=>&clear_cookie, -charset=>gb2312);
    print "<p>您已经退出登录。</p>";
    exit;
}
&error("用户名或密码错误，请重新输入！") unless (&check_password($membername, $password));
print $query->header(-cookie=>&login_cookie($membername), -charset=>gb2312);
print "<p>$membername，欢迎回来！</p>";
exit;
