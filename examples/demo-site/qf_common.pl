# 清风论坛各程序共用的子程序：页面、会员、帖子。

# 页面的头：HTTP 头、标题和导航条。$member 是已经登录的会员。
sub page_top {
    my ($title, $cookie) = @_;
    print header(-charset=>gb2312, $cookie ? (-cookie=>$cookie) : ());
    print start_html(-title=>"$forumname - $title", -lang=>'zh-CN');
    print qq(<link rel="stylesheet" type="text/css" href="qf.css" />\n);
    print qq(<div class="nav"><b>$forumname</b> | <a href="forum.cgi">首页</a> | <a href="search.cgi">搜索</a> | );
    print qq(<a href="stats.cgi">统计</a> | <a href="help.cgi">帮助</a> | );
    if ($member) {
        print qq(欢迎你，$member | <a href="post.cgi">发表新帖</a> | <a href="profile.cgi">个人资料</a> | );
        print qq(<a href="admin.cgi">论坛管理</a> | ) if (&is_admin($member));
        print qq(<a href="login.cgi?action=logout">退出</a>);
    } else {
        print qq(<a href="register.cgi">注册</a> | <a href="login.cgi">登录</a>);
    }
    print qq(</div>\n<h2>$title</h2>\n);
}

sub page_end {
    print qq(\n<p class="foot">$forumname · 程序和数据都在一个目录里</p>);
    print end_html;
}

sub error {
    my ($message) = @_;
    &page_top("出错了");
    print qq(<p class="error">$message</p>\n<p><a href="javascript:history.back()">返回上一页</a></p>);
    &page_end;
    exit;
}

# 用户输入的文字变成网页上的文字
sub text_to_html {
    my ($text) = @_;
    $text =~ s/&/&amp;/g;
    $text =~ s/</&lt;/g;
    $text =~ s/>/&gt;/g;
    $text =~ s/"/&quot;/g;
    $text =~ s/\t/ /g;
    $text =~ s/\r?\n/<br \/>/g;
    return $text;
}

sub now {
    my @t = localtime;
    return sprintf("%04d-%02d-%02d %02d:%02d", $t[5] + 1900, $t[4] + 1, $t[3], $t[2], $t[1]);
}

# 整个文件先写到旁边的新文件里再改名，别的程序读到的总是完整的文件
sub write_lines {
    my ($file, @lines) = @_;
    open(OUT, ">$file.new") or &error("无法写入数据文件！");
    print OUT map { "$_\n" } @lines;
    close(OUT) or &error("无法写入数据文件！");
    rename("$file.new", $file) or &error("无法写入数据文件！");
}

sub read_lines {
    my ($file) = @_;
    open(IN, "<$file") or return ();
    my @lines = <IN>;
    close(IN);
    chomp(@lines);
    return @lines;
}

# 会员：members.txt 每行一位，编号、名字、密码、电子邮件、头像、签名、注册时间，以制表符隔开
@memberfields = qw(id name password email face signature date);

sub read_members {
    my @members;
    foreach (&read_lines("$datadir/members.txt")) {
        my %m;
        @m{@memberfields} = split(/\t/);
        push @members, \%m;
    }
    return @members;
}

sub save_members {
    &write_lines("$datadir/members.txt", map { join("\t", @$_{@memberfields}) } @_);
}

sub find_member {
    my ($name) = @_;
    foreach (&read_members) {
        return $_ if ($_->{name} eq $name);
    }
    return undef;
}

sub password_hash { return crypt($_[0], '$6$qingfeng$'); }

sub face_html {
    my ($m) = @_;
    return $m && $m->{face} ? qq(<img class="face" src="$dataurl/face/$m->{id}.$m->{face}" alt="" />) : "";
}

# 登录的会员：cookie 里是名字和密码
sub check_login {
    my ($query) = @_;
    my ($name, $password) = split(/:/, $query->cookie('qfmember') || '', 2);
    my $m = $name ? &find_member($name) : undef;
    return ($m && $m->{password} eq $password) ? $name : '';
}

sub login_cookie {
    my ($query, $m) = @_;
    return $query->cookie(-name=>'qfmember', -value=>"$m->{name}:$m->{password}", -path=>'/');
}

sub is_admin {
    my ($name) = @_;
    return $name ne '' && grep { $_ eq $name } @admins;
}

# 帖子：版面目录里每个帖子一个文件，第一行是标题，以后每行一篇：作者、时间、附件、内容
sub check_board {
    my ($board) = @_;
    &error("没有这个版面！") unless ($board =~ /^\d+$/ && $board >= 1 && $board <= @boards);
}

sub topic_ids {
    my ($board) = @_;
    opendir(DIR, "$datadir/$board") or return ();
    my @ids = sort { $b <=> $a } map { /^(\d+)\.txt$/ ? $1 : () } readdir(DIR);
    closedir(DIR);
    return @ids;
}

sub read_topic {
    my ($board, $topic) = @_;
    return () unless ($topic =~ /^\d+$/);
    return &read_lines("$datadir/$board/$topic.txt");
}

# 在帖子后面加一篇；新帖子先写标题
sub add_post {
    my ($board, $topic, $title, $author, $attachment, $message) = @_;
    mkdir("$datadir/$board");
    my @lines = &read_topic($board, $topic);
    @lines = (&text_to_html($title)) unless (@lines);
    push @lines, join("\t", $author, &now, $attachment, &text_to_html($message));
    &write_lines("$datadir/$board/$topic.txt", @lines);
}

sub allowed_attachment {
    my ($ext) = @_;
    &error("附件只能是这几种文件：@attachtypes") unless (grep { $_ eq $ext } @attachtypes);
    mkdir("$datadir/upload");
}

1;
