" Vim syntax file for NUV2 scripts (*.nuv).
if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syn case match

" A first line starting with #! is a comment.
syn match   nuvShebang        "\%^#!.*$"

syn keyword nuvConditional    if else switch
syn keyword nuvRepeat         while do for
syn keyword nuvLabel          case default
syn keyword nuvStatement      break continue return with debugger
syn keyword nuvException      try catch throw finally
syn keyword nuvOperatorWord   new delete typeof instanceof incontextof invalidate isvalid in
syn keyword nuvStorage        var const function class property getter setter extends
syn keyword nuvType           int real string octet
syn keyword nuvReserved       enum export goto import private protected public static synchronized
syn keyword nuvIdentifier     this super global
syn keyword nuvConstant       true false null void NaN Infinity
syn keyword nuvTodo           contained TODO FIXME XXX

" Any word after "." is a member name, reserved or not: the match starts at
" the dot so that no keyword is recognised inside it.
syn match   nuvMember         "\.\s*\h\w*"

syn match   nuvNumber         "\<0[xX]\x*\%(\.\x*\)\=\%([pP][+-]\=\d\+\)\="
syn match   nuvNumber         "\<0[bB][01]*\%(\.[01]*\)\=\%([pP][+-]\=\d\+\)\="
syn match   nuvNumber         "\%(\<\d\+\%(\.\d*\)\=\|\.\d\+\)\%([eE][+-]\=\d\+\)\="

syn match   nuvEscape         contained "\\\%([xX]\x\{1,4}\|0\o*\|.\)"
syn region  nuvString         start=+"+ skip=+\\.+ end=+"+ contains=nuvEscape
syn region  nuvString         start=+'+ skip=+\\.+ end=+'+ contains=nuvEscape

" @"..." with ${expression} and &expression; inside.
syn region  nuvEmbedString    matchgroup=nuvEmbedMark start=+@\s*"+ skip=+\\.+ end=+"+ contains=nuvEscape,nuvEmbed
syn region  nuvEmbedString    matchgroup=nuvEmbedMark start=+@\s*'+ skip=+\\.+ end=+'+ contains=nuvEscape,nuvEmbed
syn region  nuvEmbed          contained matchgroup=nuvEmbedDelim start=+\${+ end=+}+ contains=TOP,nuvEmbedBraces
syn region  nuvEmbed          contained matchgroup=nuvEmbedDelim start=+&+ end=+;+ contains=TOP
syn region  nuvEmbedBraces    contained transparent start=+{+ end=+}+ contains=TOP,nuvEmbedBraces

" Octets: hex bytes between <% and %>, comments allowed.
syn match   nuvOctetByte      contained "\x\{1,2}"
syn region  nuvOctet          matchgroup=nuvOctetMark start=+<%+ end=+%>+ contains=nuvOctetByte,nuvLineComment,nuvBlockComment

" A / where an operand is expected starts a regular expression.
syn region  nuvRegExp         start=+\%(\%(^\|[=(,:[!&|?{};+\-*%<>~^]\|\<return\|\<case\)\s*\)\@<=/[/*]\@!+ skip=+\\.+ end=+/[a-z]*+ oneline

syn match   nuvPreProc        "@\s*\%(set\|if\|endif\)\>"

" Block comments nest.
syn region  nuvBlockComment   start=+/\*+ end=+\*/+ contains=nuvBlockComment,nuvTodo,@Spell
syn match   nuvLineComment    "//.*$" contains=nuvTodo,@Spell

syn sync fromstart

hi def link nuvShebang        Comment
hi def link nuvLineComment    Comment
hi def link nuvBlockComment   Comment
hi def link nuvTodo           Todo
hi def link nuvConditional    Conditional
hi def link nuvRepeat         Repeat
hi def link nuvLabel          Label
hi def link nuvStatement      Statement
hi def link nuvException      Exception
hi def link nuvOperatorWord   Operator
hi def link nuvStorage        StorageClass
hi def link nuvType           Type
hi def link nuvReserved       Keyword
hi def link nuvIdentifier     Identifier
hi def link nuvConstant       Constant
hi def link nuvNumber         Number
hi def link nuvString         String
hi def link nuvEmbedString    String
hi def link nuvEmbedMark      Delimiter
hi def link nuvEmbedDelim     Delimiter
hi def link nuvEscape         Character
hi def link nuvOctet          String
hi def link nuvOctetMark      Delimiter
hi def link nuvOctetByte      Number
hi def link nuvRegExp         String
hi def link nuvPreProc        PreProc

let b:current_syntax = "nuv"

let &cpo = s:cpo_save
unlet s:cpo_save
