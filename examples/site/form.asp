<%
Dim pageTitle, name, color
pageTitle = "A form that posts back"
name = Trim(Request("name"))
color = Request("color")
%>
<!--#include file="inc/header.inc"-->
<form method="post" action="form.asp">
  <p>Your name: <input type="text" name="name" value="<%= Server.HTMLEncode(name) %>"></p>
  <p>Favourite colour:
  <select name="color">
  <% Dim c
     For Each c In Array("red", "green", "blue")
       If c = color Then %>
    <option selected><%= c %></option>
  <%   Else %>
    <option><%= c %></option>
  <%   End If
     Next %>
  </select></p>
  <p><input type="submit" value="Send"></p>
</form>
<% If name <> "" Then %>
<p class="answer">Hello, <%= Server.HTMLEncode(name) %>! You sent this form with <%= Request.ServerVariables("REQUEST_METHOD") %><% If color <> "" Then %> and chose <%= Server.HTMLEncode(color) %><% End If %>.</p>
<% End If %>
<p><a href="form.asp?name=Guest&amp;color=green">Try it with GET</a></p>
<!--#include file="inc/footer.inc"-->
