# 清风论坛各程序共用的子程序（这里只保留演示用的几个）
sub error {
    my ($message) = @_;
    print "Content-type: text/html; charset=gb2312\n\n";
    print "<p>出错了：$message</p>";
    exit;
}
sub check_login { return $_[0]->cookie('qfmember'); }
1;
