#!/usr/bin/perl
#################################################################
#  清风论坛 —— 会员登录和退出（login.cgi）
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
$action = $query->param('action');

if ($action eq "logout") {
    &page_top("已经退出", $query->cookie(-name=>'qfmember', -value=>'', -path=>'/', -expires=>'-1d'));
    print qq(<p>您已经退出登录。<a href="forum.cgi">回到首页</a></p>);
} elsif ($action eq "login") {
    my $m = &find_member(scalar $query->param('membername'));
    &error("用户名或密码错误，请重新输入！") unless ($m && $m->{password} eq &password_hash(scalar $query->param('password')));
    $member = $m->{name};
    &page_top("登录成功", &login_cookie($query, $m));
    print qq(<p>$member，欢迎回来！<a href="forum.cgi">进入论坛</a></p>);
} else {
    &page_top("会员登录");
    print qq(<form method="post" action="login.cgi"><input type="hidden" name="action" value="login" />\n);
    print qq(<p>用户名：<input name="membername" /></p>\n<p>密码：<input type="password" name="password" /></p>\n);
    print qq(<p><input type="submit" value="登录" /> 还没有注册？<a href="register.cgi">现在注册</a></p></form>);
}
&page_end;
exit;
