#!/usr/bin/perl
#################################################################
#  清风论坛 —— 新用户注册，可以同时上传头像（register.cgi）
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
$addme      = $query->param('addme');
&register_form unless ($query->param('action') eq "register");

# 名字由字母、数字、下划线和汉字组成，它也是 cookie 的一部分
&error("用户名只能由字母、数字、下划线和汉字组成，最多 20 个字节！")
    unless ($membername =~ /^(?:[A-Za-z0-9_]|[\x81-\xfe][\x40-\xfe])+$/ && length($membername) <= 20);
&error("密码不能为空！") if ($query->param('password') eq "");
&error("这个用户名已经有人使用了，请换一个！") if (&find_member($membername));

my @members = &read_members;
my %m = (id => @members ? $members[-1]{id} + 1 : 1, name => $membername,
         password => &password_hash(scalar $query->param('password')), email => &text_to_html(scalar $query->param('email')),
         face => "", signature => "", date => &now);
if ($addme) {
    my $filename =$query->uploadInfo($addme);
    ($ext = lc($filename)) =~ s/^.*\.//;
    &error("头像只能是 gif、jpg 或 png 图片！") unless ($ext =~ /^(gif|jpg|png)$/);
    mkdir("$datadir/face");
    open (FACE, ">$datadir/face/$m{id}.$ext") or &error("头像保存失败！");
    binmode FACE;
    while ($buffer=$query->readUploadFile($addme)) {
        print FACE $buffer;
    }
    close (FACE);
    $m{face} = $ext;
}
&save_members(@members, \%m);
&page_top("注册成功");
print qq(<p>$membername，欢迎您加入$forumname！) . &face_html(\%m) . qq(</p><p><a href="login.cgi">现在登录</a></p>);
&page_end;
exit;

sub register_form {
    &page_top("新用户注册");
    print qq(<form method="post" enctype="multipart/form-data" action="register.cgi">\n);
    print qq(<input type="hidden" name="action" value="register" />\n<p>用户名：<input name="membername" /></p>\n);
    print qq(<p>密码：<input type="password" name="password" /></p>\n<p>电子邮件：<input name="email" /></p>\n);
    print qq(<p>头像（gif、jpg 或 png）：<input type="file" name="addme" /></p>\n<p><input type="submit" value="注册" /></p></form>);
    &page_end;
    exit;
}
