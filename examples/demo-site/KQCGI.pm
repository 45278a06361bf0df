# KQCGI.pm —— 论坛程序包自带的 CGI 模块（清风论坛用的简化版）
# 读表单、cookie 和上传的文件，输出 HTTP 头和页面的头尾。
# 转换以后的程序改用 Perl 的标准 CGI 模块，服务器上不再需要这个文件。
package KQCGI;
use strict;
use Exporter 'import';
our @EXPORT = qw(header start_html end_html);

our $POST_MAX = -1;            # 请求体最多多少字节，-1 为不限
my $charset = 'ISO-8859-1';    # header 定下的字符集，start_html 也用它

sub new {
    my $class = shift;
    my $self = bless { names => [], values => {}, files => {} }, $class;
    my $length = $ENV{'CONTENT_LENGTH'} || 0;
    if (($ENV{'REQUEST_METHOD'} || '') ne 'POST') {
        $self->add_urlencoded($ENV{'QUERY_STRING'} || '');
    } elsif ($POST_MAX < 0 || $length <= $POST_MAX) {
        my $body = '';
        binmode STDIN;
        while (length($body) < $length) {
            read(STDIN, $body, $length - length($body), length($body)) or last;
        }
        if (($ENV{'CONTENT_TYPE'} || '') =~ m!^multipart/form-data;.*boundary=("?)([^";]+)\1!i) {
            $self->add_multipart($body, $2);
        } else {
            $self->add_urlencoded($body);
        }
    }
    return $self;
}

sub add_value {
    my ($self, $name, $value) = @_;
    push @{$self->{names}}, $name unless exists $self->{values}{$name};
    push @{$self->{values}{$name}}, $value;
}

sub unescape {
    my ($text) = @_;
    $text =~ tr/+/ /;
    $text =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
    return $text;
}

sub escape {
    my ($text) = @_;
    $text =~ s/([^A-Za-z0-9_.~-])/sprintf("%%%02X", ord($1))/ge;
    return $text;
}

sub add_urlencoded {
    my ($self, $text) = @_;
    foreach my $pair (split(/[&;]/, $text)) {
        my ($name, $value) = split(/=/, $pair, 2);
        $self->add_value(unescape($name), unescape(defined($value) ? $value : ''));
    }
}

# multipart/form-data：各部分由分界线隔开，每部分先是自己的头，空行以后是内容。
# 带文件名的部分是上传的文件：参数的值是文件名，内容由 readUploadFile 读出。
sub add_multipart {
    my ($self, $body, $boundary) = @_;
    my @parts = split(/\r\n--\Q$boundary\E/, "\r\n" . $body);
    shift @parts;
    foreach my $part (@parts) {
        last if ($part =~ /^--/);
        my ($head, $content) = split(/\r\n\r\n/, $part, 2);
        next unless (defined($content));
        my ($name) = $head =~ /\bname="([^"]*)"/i;
        my ($file) = $head =~ /\bfilename="([^"]*)"/i;
        if (defined($file) && $file ne '') {
            $self->{files}{$file} = { content => $content, at => 0 };
            $self->add_value($name, $file);
        } else {
            $self->add_value($name, defined($file) ? '' : $content);
        }
    }
}

sub param {
    my ($self, $name) = @_;
    return @{$self->{names}} unless (defined($name));
    my $values = $self->{values}{$name} || [];
    return wantarray ? @$values : $values->[0];
}

# cookie('名字') 读出一个 cookie；cookie(-name=>..., -value=>..., -path=>..., -expires=>...) 做一个新的
sub cookie {
    my ($self, @args) = @_;
    if (@args == 1) {
        foreach my $pair (split(/;\s*/, $ENV{'HTTP_COOKIE'} || '')) {
            my ($name, $value) = split(/=/, $pair, 2);
            return unescape(defined($value) ? $value : '') if (unescape($name) eq $args[0]);
        }
        return undef;
    }
    my %arg = @args;
    my $cookie = escape($arg{-name}) . '=' . escape($arg{-value});
    $cookie .= "; path=$arg{-path}" if ($arg{-path});
    $cookie .= '; expires=Thu, 01 Jan 1970 00:00:00 GMT' if (($arg{-expires} || '') =~ /^-/);
    return $cookie;
}

# 上传的文件名，去掉浏览器带来的路径
sub uploadInfo {
    my ($self, $file) = @_;
    $file =~ s!^.*[\\/]!!;
    return $file;
}

# 上传的文件的下一段内容，读完时返回空串
sub readUploadFile {
    my ($self, $file) = @_;
    my $upload = $self->{files}{$file} or return '';
    return '' if ($upload->{at} >= length($upload->{content}));
    my $piece = substr($upload->{content}, $upload->{at}, 4096);
    $upload->{at} += length($piece);
    return $piece;
}

# 下面三个既可以当函数用，也可以当方法用
sub header {
    shift if (ref($_[0]) eq __PACKAGE__);
    my %arg = @_;
    $charset = $arg{-charset} if ($arg{-charset});
    my $cookies = $arg{-cookie};
    my $text = '';
    foreach my $cookie (ref($cookies) eq 'ARRAY' ? @$cookies : defined($cookies) ? ($cookies) : ()) {
        $text .= "Set-Cookie: $cookie\r\n";
    }
    $text .= "Status: $arg{-status}\r\n" if ($arg{-status});
    return $text . 'Content-Type: ' . ($arg{-type} || 'text/html') . "; charset=$charset\r\n\r\n";
}

sub start_html {
    shift if (ref($_[0]) eq __PACKAGE__);
    my %arg = @_;
    my $title = defined($arg{-title}) ? $arg{-title} : 'Untitled Document';
    $title =~ s/&/&amp;/g;
    $title =~ s/</&lt;/g;
    $title =~ s/>/&gt;/g;
    $title =~ s/"/&quot;/g;
    my $lang = $arg{-lang} || 'en-US';
    return qq(<!DOCTYPE html\n\tPUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN"\n\t "http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd">\n)
        . qq(<html xmlns="http://www.w3.org/1999/xhtml" lang="$lang" xml:lang="$lang">\n<head>\n<title>$title</title>\n)
        . qq(<meta http-equiv="Content-Type" content="text/html; charset=$charset" />\n</head>\n<body>\n);
}

sub end_html {
    return "\n</body>\n</html>";
}

1;
